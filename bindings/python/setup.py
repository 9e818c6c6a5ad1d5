"""Tags a wheel that carries the VornMTClient library for the library's platform.

scripts/package-python copies the library into vornmt/ and names its platform
in VORNMT_WHEEL_PLATFORM ("manylinux_2_36_x86_64", "win_amd64"); the wheel is
then py3-none-<platform> and not pure. Without a library the package is pure
Python (the library comes from VORNMT_LIBRARY or the system's loader).
"""

import os

from setuptools import setup
from wheel.bdist_wheel import bdist_wheel

HERE = os.path.dirname(os.path.abspath(__file__))
LIBRARIES = ("libVornMTClient.so", "VornMTClient.dll")


class PlatformWheel(bdist_wheel):
    def finalize_options(self) -> None:
        super().finalize_options()
        self.platform = os.environ.get("VORNMT_WHEEL_PLATFORM", "")
        inside = [name for name in LIBRARIES if os.path.exists(os.path.join(HERE, "vornmt", name))]
        if inside and not self.platform:
            raise SystemExit("vornmt/ holds %s: set VORNMT_WHEEL_PLATFORM to its platform tag "
                             "(scripts/package-python does)" % ", ".join(inside))
        if self.platform:
            if len(inside) != 1:
                raise SystemExit("a %s wheel carries one library; vornmt/ holds %d" % (self.platform, len(inside)))
            self.root_is_pure = False

    def get_tag(self):
        if self.platform:
            return "py3", "none", self.platform
        return super().get_tag()


setup(cmdclass={"bdist_wheel": PlatformWheel})
