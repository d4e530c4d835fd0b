# The product web site asked for the latest version ("<site>/latest-version"). Empty by default:
# distributions ship their own updates, and without a site the program never makes the request
# and shows no update items.
set(QUORVEL_UPDATE_SITE "" CACHE STRING
  "Web site whose latest-version endpoint the update check asks (empty: no update check)")
if(QUORVEL_UPDATE_SITE)
  if(NOT QUORVEL_UPDATE_SITE MATCHES "^https?://")
    message(FATAL_ERROR "QUORVEL_UPDATE_SITE must be an http or https address, not "
      "'${QUORVEL_UPDATE_SITE}'")
  endif()
  set_property(SOURCE ${CMAKE_SOURCE_DIR}/src/shell/UpdateChecker.cpp APPEND PROPERTY
    COMPILE_DEFINITIONS QUORVEL_UPDATE_SITE="${QUORVEL_UPDATE_SITE}")
endif()
