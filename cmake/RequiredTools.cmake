# What the test build needs beyond the compilers. A missing one stops the
# configuration with its Debian package's name (scripts/install-deps.sh
# installs them all), instead of leaving its tests out.
function(tolvane_require_program variable program package purpose)
  find_program(${variable} NAMES ${program})
  if(NOT ${variable})
    message(FATAL_ERROR "${program} not found (Debian package ${package}): ${purpose}. "
      "scripts/install-deps.sh installs everything the build needs.")
  endif()
endfunction()

tolvane_require_program(TOLVANE_WINE wine wine "the tests run the Windows programs under Wine")
tolvane_require_program(TOLVANE_XVFB_RUN xvfb-run xvfb "the tests run under a virtual X server")
tolvane_require_program(TOLVANE_MAKENSIS makensis nsis "the installer is made and tested with NSIS")
tolvane_require_program(TOLVANE_OBJDUMP i686-w64-mingw32-objdump binutils-mingw-w64-i686
  "the export tables of the conduit and the stand-ins are checked with objdump")
tolvane_require_program(TOLVANE_CLANGXX clang++ "clang and libclang-rt-14-dev"
  "the native fuzzers' short run is built with clang")

set(TOLVANE_GOOGLETEST_SOURCE /usr/src/googletest)
if(NOT EXISTS ${TOLVANE_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest's source is not in ${TOLVANE_GOOGLETEST_SOURCE} (Debian package googletest): "
    "every test program is built with it. scripts/install-deps.sh installs everything the build needs.")
endif()

if(NOT TOLVANE_SHIPPED_DLL)
  message(FATAL_ERROR "TOLVANE_SHIPPED_DLL is not set: the integration, tool and installer tests load the "
    "shipped Tolvane.dll. Build with `make build`, which builds it first and passes it here.")
endif()
