"""Tags a wheel that carries the VornMTClient library for the library's platform.

scripts/package-python copies the library into vornmt/ and names its platform
in VORNMT_WHEEL_PLATFORM ("manylinux_2_36_x86_64", "win_amd64"); the wheel is
then py3-none-<platform>, installed as platform code. Without a library the
package is pure Python (the library comes from VORNMT_LIBRARY or the system's
loader).
"""

import os

from setuptools import Distribution, setup
from wheel.bdist_wheel import bdist_wheel

HERE = os.path.dirname(os.path.abspath(__file__))
LIBRARIES = ("libVornMTClient.so", "VornMTClient.dll")
PLATFORM = os.environ.get("VORNMT_WHEEL_PLATFORM", "")


class LibraryDistribution(Distribution):
    def has_ext_modules(self) -> bool:  # a native library inside: not pure, installed as platlib
        return bool(PLATFORM)


class PlatformWheel(bdist_wheel):
    def finalize_options(self) -> None:
        super().finalize_options()
        inside = [name for name in LIBRARIES if os.path.exists(os.path.join(HERE, "vornmt", name))]
        if len(inside) != (1 if PLATFORM else 0):
            raise SystemExit("vornmt/ holds %s: a wheel carries one library, with VORNMT_WHEEL_PLATFORM "
                             "naming its platform (scripts/package-python does both)" % (inside or "no library"))

    def get_tag(self):
        # The library is called through ctypes: any Python 3 on that platform.
        return ("py3", "none", PLATFORM) if PLATFORM else super().get_tag()


setup(distclass=LibraryDistribution, cmdclass={"bdist_wheel": PlatformWheel})
