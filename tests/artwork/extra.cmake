add_test(NAME IconFetch.FailureStopsConfigure
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${CMAKE_SOURCE_DIR}
          -DWORK=${CMAKE_CURRENT_BINARY_DIR}/icon-fetch-failure
          -P ${CMAKE_SOURCE_DIR}/tests/artwork/IconFetchFailure.cmake)
set_tests_properties(IconFetch.FailureStopsConfigure PROPERTIES LABELS artwork)
