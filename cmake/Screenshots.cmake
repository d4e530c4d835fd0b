# `make screenshots`: PNGs of the configuration window over the virtual pads, for people to look
# at, in build/screenshots. Rendered on Qt's offscreen platform, so no display is needed.
add_executable(quorvel_screenshots ${CMAKE_SOURCE_DIR}/tools/screenshots/main.cpp)
target_compile_options(quorvel_screenshots PRIVATE ${QUORVEL_WARNINGS})
target_link_libraries(quorvel_screenshots PRIVATE quorvel_lib)
add_custom_target(screenshots
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
    $<TARGET_FILE:quorvel_screenshots> ${CMAKE_BINARY_DIR}/screenshots
  DEPENDS quorvel_screenshots
  COMMENT "Drawing the configuration window into ${CMAKE_BINARY_DIR}/screenshots"
  VERBATIM)
