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

execute_process(
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/fetch-icons ${QUORVEL_LUCIDE_VERSION}
          ${QUORVEL_LUCIDE_INTEGRITY} ${QUORVEL_LUCIDE_BUILD_DIR}
  RESULT_VARIABLE QUORVEL_LUCIDE_RESULT)
if(NOT QUORVEL_LUCIDE_RESULT EQUAL 0)
  message(WARNING "The Lucide icons could not be fetched; keys will lack their built-in icons "
                  "until scripts/fetch-icons succeeds (re-run cmake).")
endif()

set_property(SOURCE ${CMAKE_SOURCE_DIR}/src/artwork/LucideIcons.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS
  QUORVEL_LUCIDE_BUILD_DIR="${QUORVEL_LUCIDE_BUILD_DIR}"
  QUORVEL_LUCIDE_INSTALL_DIR="${QUORVEL_LUCIDE_INSTALL_DIR}")

install(DIRECTORY ${QUORVEL_LUCIDE_BUILD_DIR}/
  DESTINATION ${CMAKE_INSTALL_DATADIR}/quorvel/Lucide
  PATTERN ".lucide-version" EXCLUDE)
