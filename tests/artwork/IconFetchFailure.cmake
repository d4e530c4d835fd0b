# Configuring while the icon set cannot be fetched (npm offline with an empty cache) must stop,
# saying why and how to try again, instead of building a program without its icons.
# cmake -DSOURCE=<source folder> -DWORK=<scratch folder> -P IconFetchFailure.cmake
file(REMOVE_RECURSE ${WORK})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env npm_config_offline=true npm_config_cache=${WORK}/npm
          ${CMAKE_COMMAND} -S ${SOURCE}/tests/artwork/icon-fetch -B ${WORK}/build
          -DQUORVEL_SOURCE_DIR=${SOURCE}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result EQUAL 0)
  message(FATAL_ERROR "Configuring went on without the icons:\n${output}")
endif()
foreach(expected "ENOTCACHED" "configure again")
  string(FIND "${output}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "The configure error does not say \"${expected}\":\n${output}")
  endif()
endforeach()
