# The libusb backend is tested against a fake sysfs and usbfs (umockdev): the executable links
# libumockdev, answers the usbfs requests itself and runs under umockdev's preload library, also
# for test discovery.
quorvel_run_under_umockdev(${target})
