# The libusb backend is tested against a fake sysfs and usbfs (umockdev): the executable links
# libumockdev, answers the usbfs requests itself and runs under umockdev's preload library, also
# for test discovery.
pkg_check_modules(UMOCKDEV REQUIRED IMPORTED_TARGET umockdev-1.0)
find_program(UMOCKDEV_WRAPPER umockdev-wrapper REQUIRED)
target_link_libraries(${target} PRIVATE PkgConfig::UMOCKDEV)
set_target_properties(${target} PROPERTIES CROSSCOMPILING_EMULATOR ${UMOCKDEV_WRAPPER})
# The DisplayPad's HID interface beside its image interface, in the same fake machine.
target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/hid/linux/PadTestbed.cpp)
target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/hid/linux)
