# The Linux HID manager is tested against a fake sysfs, udev and hidraw nodes (umockdev): the
# executable links libumockdev and runs under its preload library, also for test discovery.
quorvel_run_under_umockdev(${target})
