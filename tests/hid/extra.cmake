# The Linux HID manager is tested against a fake sysfs, udev and hidraw nodes (umockdev): the
# executable links libumockdev and runs under its preload library, also for test discovery.
pkg_check_modules(UMOCKDEV REQUIRED IMPORTED_TARGET umockdev-1.0)
find_program(UMOCKDEV_WRAPPER umockdev-wrapper REQUIRED)
target_link_libraries(${target} PRIVATE PkgConfig::UMOCKDEV)
set_target_properties(${target} PROPERTIES CROSSCOMPILING_EMULATOR ${UMOCKDEV_WRAPPER})
