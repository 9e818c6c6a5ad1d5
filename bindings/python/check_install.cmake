# Installs the vornmt package the way the README says, with pip and no
# network (--no-build-isolation uses the installed setuptools), into WORK,
# and imports it from there.
#   cmake -DPYTHON=... -DSOURCE=bindings/python -DVERSION=1.2.3 -DWORK=dir -P check_install.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY ${SOURCE}/pyproject.toml ${SOURCE}/setup.py ${SOURCE}/README.md ${SOURCE}/vornmt DESTINATION ${WORK}/source
  PATTERN __pycache__ EXCLUDE PATTERN _version.py EXCLUDE)
# What scripts/package-python writes: the project's version, from the header.
file(WRITE ${WORK}/source/vornmt/_version.py "__version__ = \"${VERSION}\"\n")
execute_process(
  COMMAND ${PYTHON} -m pip install --quiet --no-build-isolation --no-index --no-deps
    --disable-pip-version-check --target ${WORK}/site ${WORK}/source
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "pip install --no-build-isolation failed (${status})")
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env PYTHONPATH=${WORK}/site ${PYTHON} -B -c
    "import vornmt, os; assert vornmt.__file__.startswith(os.environ['PYTHONPATH']), vornmt.__file__; assert vornmt.__version__ == '${VERSION}', vornmt.__version__; print('vornmt', vornmt.__version__, 'installed')"
  WORKING_DIRECTORY ${WORK}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the installed vornmt package does not import (${status})")
endif()
