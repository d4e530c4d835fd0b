# quorvelctl, the command-line client of the running program's scripting objects. It needs
# nothing but Qt's D-Bus module, so it stays small and starts fast in shell loops.
include(GNUInstallDirs)

add_executable(quorvelctl
  ${CMAKE_SOURCE_DIR}/tools/quorvelctl/main.cpp
  ${CMAKE_SOURCE_DIR}/tools/quorvelctl/Client.cpp
  ${CMAKE_SOURCE_DIR}/tools/quorvelctl/Client.h)
target_compile_options(quorvelctl PRIVATE ${QUORVEL_WARNINGS})
target_compile_definitions(quorvelctl PRIVATE QT_NO_KEYWORDS)
target_link_libraries(quorvelctl PRIVATE Qt6::Core Qt6::DBus)
install(TARGETS quorvelctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/quorvelctl.bash-completion
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME quorvelctl)
