# Crafted images of the artwork tests.
target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/artwork/ImageSamples.cpp)
target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/artwork)
