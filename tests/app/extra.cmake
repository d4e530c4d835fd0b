# The private message bus helper of the actions tests, for the D-Bus and whole-program tests.
target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/actions/linux/DbusDaemon.cpp)
target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/actions/linux)
