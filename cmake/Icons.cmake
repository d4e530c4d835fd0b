# The built-in action icons: the Lucide set from the npm package lucide-static, pinned to one
# version and tarball hash, fetched into the build folder at configure time (never into git)
# and installed with the program together with its licence.
include(GNUInstallDirs)

set(QUORVEL_LUCIDE_VERSION 1.87.0)
set(QUORVEL_LUCIDE_INTEGRITY
  "sha512-PqBn/aXv1MQLE18HqRO9iBzaH7nehke0Yu9B1Js/PFv0penav2j7LcyHr7lf30ssB1cNjW13OkuYmFfOwYGj+g==")
# The same layout as an installed prefix, so programs under build/tests and build/bench find
# the icons next to them as an installed program does.
set(QUORVEL_LUCIDE_BUILD_DIR ${CMAKE_BINARY_DIR}/share/quorvel/Lucide)
set(QUORVEL_LUCIDE_INSTALL_DIR ${CMAKE_INSTALL_FULL_DATADIR}/quorvel/Lucide)

# Without them every action key would be drawn without its icon, so a failed fetch stops here
# with the reason instead of building a program that lacks them.
execute_process(
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/fetch-icons ${QUORVEL_LUCIDE_VERSION}
          ${QUORVEL_LUCIDE_INTEGRITY} ${QUORVEL_LUCIDE_BUILD_DIR}
  RESULT_VARIABLE QUORVEL_LUCIDE_RESULT
  ERROR_VARIABLE QUORVEL_LUCIDE_ERROR)
if(NOT QUORVEL_LUCIDE_RESULT EQUAL 0)
  string(STRIP "${QUORVEL_LUCIDE_ERROR}" QUORVEL_LUCIDE_ERROR)
  message(FATAL_ERROR
    "The built-in icons (lucide-static ${QUORVEL_LUCIDE_VERSION} from the npm registry) could "
    "not be fetched (scripts/fetch-icons exited with ${QUORVEL_LUCIDE_RESULT}):\n"
    "${QUORVEL_LUCIDE_ERROR}\n"
    "Check the network connection and npm's registry setting (npm config get registry), then "
    "configure again: make build (or cmake -S . -B build).")
endif()

set_property(SOURCE ${CMAKE_SOURCE_DIR}/src/artwork/LucideIcons.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS
  QUORVEL_LUCIDE_BUILD_DIR="${QUORVEL_LUCIDE_BUILD_DIR}"
  QUORVEL_LUCIDE_INSTALL_DIR="${QUORVEL_LUCIDE_INSTALL_DIR}")

install(DIRECTORY ${QUORVEL_LUCIDE_BUILD_DIR}/
  DESTINATION ${CMAKE_INSTALL_DATADIR}/quorvel/Lucide
  PATTERN ".lucide-version" EXCLUDE)
