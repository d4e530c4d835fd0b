# The scripting tests drive the running program through the command-line client.
add_dependencies(${target} quorvelctl)
target_compile_definitions(${target} PRIVATE QUORVELCTL_EXECUTABLE="$<TARGET_FILE:quorvelctl>")
