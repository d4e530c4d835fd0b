# The libusb backend is tested against a fake sysfs and usbfs (umockdev): the executable links
# libumockdev, answers the usbfs requests itself and runs under umockdev's preload library, also
# for test discovery.
quorvel_run_under_umockdev(${target})
# The DisplayPad's HID interface beside its image interface, in the same fake machine.
target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/hid/linux/PadTestbed.cpp)
target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/hid/linux)
