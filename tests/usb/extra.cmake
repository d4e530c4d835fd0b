# The libusb backend is tested against a fake sysfs and usbfs (umockdev), and runs under its
# preload library, also for test discovery.
quorvel_run_under_umockdev(${target})
