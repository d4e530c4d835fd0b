# Shared harnesses of other folders: the in-process virtual pads, crafted images, the private
# message bus and the standard virtual pads' ids.
target_sources(${target} PRIVATE
  ${CMAKE_SOURCE_DIR}/tests/artwork/ImageSamples.cpp
  ${CMAKE_SOURCE_DIR}/tests/actions/linux/DbusDaemon.cpp
  ${CMAKE_SOURCE_DIR}/tests/app/AppTestSupport.cpp)
target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/artwork ${CMAKE_SOURCE_DIR}/tests/actions/linux
  ${CMAKE_SOURCE_DIR}/tests/app)
