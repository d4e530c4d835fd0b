# The web search runs in the browser engine; the program test starts the picker executable.
find_package(Qt6 REQUIRED COMPONENTS Test)
target_link_libraries(${target} PRIVATE quorvel_picker_lib Qt6::Test)
target_compile_definitions(${target} PRIVATE QUORVEL_PICKER="$<TARGET_FILE:quorvel-picker>")
add_dependencies(${target} quorvel-picker)
