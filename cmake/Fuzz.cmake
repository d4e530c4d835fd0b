# libFuzzer targets (fuzz/*_fuzzer.cpp), only with -DQUORVEL_FUZZ=ON and clang:
#   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DQUORVEL_FUZZ=ON
#   cmake --build build-fuzz --target fuzz_image_data
#   build-fuzz/fuzz/fuzz_image_data -dict=fuzz/image_data.dict build-fuzz/corpus fuzz/corpus/image_data
#   build-fuzz/fuzz/fuzz_settings_manifest build-fuzz/manifests fuzz/corpus/settings_manifest
#   build-fuzz/fuzz/fuzz_site_icon_html -timeout=5 build-fuzz/pages fuzz/corpus/site_icon_html
#   build-fuzz/fuzz/fuzz_site_icon_manifest build-fuzz/webmanifests fuzz/corpus/site_icon_manifest
# The code under test is compiled again with coverage and AddressSanitizer for the fuzzers
# alone, so the rest of the build folder stays an ordinary build.
option(QUORVEL_FUZZ "Build the libFuzzer targets under fuzz/ (clang only)" OFF)

if(QUORVEL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "QUORVEL_FUZZ=ON needs clang: configure with CC=clang CXX=clang++")
  endif()
  set(QUORVEL_FUZZ_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer)
  file(GLOB QUORVEL_FUZZ_LIB_SOURCES CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/src/artwork/*.cpp ${CMAKE_SOURCE_DIR}/src/core/*.cpp
    ${CMAKE_SOURCE_DIR}/src/config/BadgeStyle.cpp
    ${CMAKE_SOURCE_DIR}/src/config/ConfigurationJson.cpp
    ${CMAKE_SOURCE_DIR}/src/config/DefaultConfiguration.cpp
    ${CMAKE_SOURCE_DIR}/src/config/SettingsArchive.cpp
    ${CMAKE_SOURCE_DIR}/src/config/linux/SettingsBundleFolder.cpp
    ${CMAKE_SOURCE_DIR}/src/device/DeviceKind.cpp
    ${CMAKE_SOURCE_DIR}/src/siteicons/SiteIconDiscovery.cpp)
  add_library(quorvel_fuzz_lib STATIC ${QUORVEL_FUZZ_LIB_SOURCES})
  target_include_directories(quorvel_fuzz_lib PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_compile_definitions(quorvel_fuzz_lib PUBLIC QT_NO_KEYWORDS)
  target_compile_options(quorvel_fuzz_lib PRIVATE ${QUORVEL_WARNINGS} -fsanitize=fuzzer-no-link
    ${QUORVEL_FUZZ_FLAGS})
  target_link_libraries(quorvel_fuzz_lib PUBLIC Qt6::Core Qt6::Gui Qt6::Svg
    nlohmann_json::nlohmann_json)

  file(GLOB QUORVEL_FUZZERS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*_fuzzer.cpp)
  foreach(source IN LISTS QUORVEL_FUZZERS)
    get_filename_component(name ${source} NAME_WE)
    string(REGEX REPLACE "_fuzzer$" "" name ${name})
    add_executable(fuzz_${name} ${source})
    set_target_properties(fuzz_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
    target_compile_options(fuzz_${name} PRIVATE ${QUORVEL_WARNINGS} -fsanitize=fuzzer
      ${QUORVEL_FUZZ_FLAGS})
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer ${QUORVEL_FUZZ_FLAGS})
    target_link_libraries(fuzz_${name} PRIVATE quorvel_fuzz_lib)
  endforeach()
endif()
