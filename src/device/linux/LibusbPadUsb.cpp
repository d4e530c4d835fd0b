#include "device/linux/LibusbPadUsb.h"

#include "device/ImageInterfaceSelection.h"
#include "device/LocationID.h"
#include "device/linux/LibusbStatus.h"

#include <libusb.h>

#include <array>
#include <climits>
#include <vector>

namespace {
// A chunk of 1024 bytes takes a few milliseconds; a pad that has not taken it within the time the
// session waits for an acknowledgement is not going to.
constexpr unsigned int transferTimeoutMs = 2000;
constexpr unsigned int controlTimeoutMs = 1000;
// Host to device, class request, to an interface.
constexpr uint8_t keyEventRequestType = 0x21;

struct DeviceListDeleter {
    void operator()(libusb_device** list) const { libusb_free_device_list(list, 1); }
};
using DeviceList = std::unique_ptr<libusb_device*[], DeviceListDeleter>;

struct ConfigDeleter {
    void operator()(libusb_config_descriptor* config) const {
        libusb_free_config_descriptor(config);
    }
};
using Config = std::unique_ptr<libusb_config_descriptor, ConfigDeleter>;

struct HandleDeleter {
    void operator()(libusb_device_handle* handle) const { libusb_close(handle); }
};
using Handle = std::unique_ptr<libusb_device_handle, HandleDeleter>;

UsbDeviceIdentity identityOf(libusb_device* device) {
    UsbDeviceIdentity identity;
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) == 0) {
        identity.vendorID = descriptor.idVendor;
        identity.productID = descriptor.idProduct;
    }
    std::array<uint8_t, 8> raw{};
    const int depth = libusb_get_port_numbers(device, raw.data(), static_cast<int>(raw.size()));
    if (depth >= 0) {
        const std::vector<int> ports(raw.begin(), raw.begin() + depth);
        identity.locationID = LocationID::fromPortPath(libusb_get_bus_number(device), ports);
    }
    return identity;
}

std::vector<UsbInterfaceDescriptor> interfacesOf(const libusb_config_descriptor& config) {
    std::vector<UsbInterfaceDescriptor> result;
    for (int i = 0; i < config.bNumInterfaces; ++i) {
        const libusb_interface& interface = config.interface[i];
        for (int a = 0; a < interface.num_altsetting; ++a) {
            const libusb_interface_descriptor& setting = interface.altsetting[a];
            UsbInterfaceDescriptor described{
                setting.bInterfaceNumber, setting.bAlternateSetting, {}};
            for (int e = 0; e < setting.bNumEndpoints; ++e) {
                described.endpoints.push_back(
                    {setting.endpoint[e].bEndpointAddress, setting.endpoint[e].bmAttributes});
            }
            result.push_back(std::move(described));
        }
    }
    return result;
}

class LibusbImageInterface : public ImageInterface {
public:
    LibusbImageInterface(std::shared_ptr<libusb_context> context, Handle handle,
                         ImageEndpoint endpoint)
        : context_(std::move(context)), handle_(std::move(handle)), endpoint_(endpoint) {}

    ~LibusbImageInterface() override {
        // Releasing also gives the interface back to a kernel driver that auto-detach took it
        // from.
        libusb_release_interface(handle_.get(), endpoint_.interfaceNumber);
    }

    IOReturn prepare() override {
        // SET_REPORT, output report 3, to the pad's first interface: switches it to reporting
        // key events to the host.
        std::array<unsigned char, 2> data = {0x03, 0x01};
        const int result = libusb_control_transfer(
            handle_.get(), keyEventRequestType, 0x09, 0x0203, 0, data.data(),
            static_cast<uint16_t>(data.size()), controlTimeoutMs);
        if (result < 0) {
            return usbStatusFromLibusb(result);
        }
        return result == static_cast<int>(data.size()) ? UsbStatus::success : UsbStatus::ioError;
    }

    IOReturn write(const uint8_t* data, size_t length) override {
        if (length > static_cast<size_t>(INT_MAX)) {
            return UsbStatus::badArgument;
        }
        // libusb takes a mutable buffer for both directions but only reads it for OUT transfers.
        auto* bytes = const_cast<unsigned char*>(data);
        int transferred = 0;
        const int result =
            endpoint_.bulk
                ? libusb_bulk_transfer(handle_.get(), endpoint_.address, bytes,
                                       static_cast<int>(length), &transferred, transferTimeoutMs)
                : libusb_interrupt_transfer(handle_.get(), endpoint_.address, bytes,
                                            static_cast<int>(length), &transferred,
                                            transferTimeoutMs);
        if (result != 0) {
            return usbStatusFromLibusb(result);
        }
        // A short write would leave the pad waiting for the rest of its payload.
        return transferred == static_cast<int>(length) ? UsbStatus::success : UsbStatus::ioError;
    }

private:
    std::shared_ptr<libusb_context> context_;  // outlives handle_ (declared first)
    Handle handle_;
    ImageEndpoint endpoint_;
};

// Follows the open sequence of one matching device: a device without interface 1 is skipped
// without an error; failures to open or claim are reported; a device without the endpoint is
// skipped without an error.
std::unique_ptr<ImageInterface> openImageInterface(const std::shared_ptr<libusb_context>& context,
                                                   libusb_device* device, IOReturn& error) {
    libusb_config_descriptor* rawConfig = nullptr;
    const int configResult = libusb_get_active_config_descriptor(device, &rawConfig);
    if (configResult != 0) {
        error = usbStatusFromLibusb(configResult);
        return nullptr;
    }
    const Config config(rawConfig);
    const std::vector<UsbInterfaceDescriptor> interfaces = interfacesOf(*config);
    if (!ImageInterfaceSelection::hasImageInterface(interfaces)) {
        return nullptr;
    }

    libusb_device_handle* rawHandle = nullptr;
    const int openResult = libusb_open(device, &rawHandle);
    if (openResult != 0) {
        error = usbStatusFromLibusb(openResult);
        return nullptr;
    }
    Handle handle(rawHandle);
    // Not supported only where there are no kernel drivers to detach; claiming then says more.
    libusb_set_auto_detach_kernel_driver(handle.get(), 1);
    const int interfaceNumber = ImageInterfaceSelection::interfaceNumber;
    const int claimResult = libusb_claim_interface(handle.get(), interfaceNumber);
    if (claimResult != 0) {
        error = usbStatusFromLibusb(claimResult);
        return nullptr;
    }
    const auto endpoint = ImageInterfaceSelection::chooseImageEndpoint(interfaces);
    if (!endpoint) {
        libusb_release_interface(handle.get(), interfaceNumber);
        return nullptr;
    }
    if (endpoint->alternate != 0) {
        const int altResult =
            libusb_set_interface_alt_setting(handle.get(), interfaceNumber, endpoint->alternate);
        if (altResult != 0) {
            error = usbStatusFromLibusb(altResult);
            libusb_release_interface(handle.get(), interfaceNumber);
            return nullptr;
        }
    }
    return std::make_unique<LibusbImageInterface>(context, std::move(handle), *endpoint);
}
}  // namespace

LibusbPadUsb::LibusbPadUsb() {
    libusb_context* raw = nullptr;
    const int result = libusb_init(&raw);
    if (result != 0) {
        initError_ = usbStatusFromLibusb(result);
        return;
    }
    context_ = std::shared_ptr<libusb_context>(raw, [](libusb_context* c) { libusb_exit(c); });
}

LibusbPadUsb::~LibusbPadUsb() = default;

std::unique_ptr<ImageInterface> LibusbPadUsb::open(uint32_t locationID, IOReturn& error) {
    if (!context_) {
        error = initError_;
        return nullptr;
    }
    libusb_device** rawList = nullptr;
    const ssize_t count = libusb_get_device_list(context_.get(), &rawList);
    if (count < 0) {
        error = usbStatusFromLibusb(static_cast<int>(count));
        return nullptr;
    }
    const DeviceList list(rawList);
    for (ssize_t i = 0; i < count; ++i) {
        if (!ImageInterfaceSelection::matches_device(identityOf(list[i]), locationID)) {
            continue;
        }
        if (auto interface = openImageInterface(context_, list[i], error)) {
            return interface;
        }
    }
    return nullptr;
}

IOReturn LibusbPadUsb::reenumerate(uint32_t locationID) {
    if (!context_) {
        return initError_;
    }
    libusb_device** rawList = nullptr;
    const ssize_t count = libusb_get_device_list(context_.get(), &rawList);
    if (count < 0) {
        return usbStatusFromLibusb(static_cast<int>(count));
    }
    const DeviceList list(rawList);
    libusb_device* device = nullptr;
    for (ssize_t i = 0; i < count && !device; ++i) {
        if (ImageInterfaceSelection::matches_device(identityOf(list[i]), locationID)) {
            device = list[i];
        }
    }
    if (!device) {
        return UsbStatus::notFound;
    }
    libusb_device_handle* rawHandle = nullptr;
    const int openResult = libusb_open(device, &rawHandle);
    if (openResult != 0) {
        return usbStatusFromLibusb(openResult);
    }
    const Handle handle(rawHandle);

    // A port reset alone keeps usbhid bound (it survives resets), so the HID side would never see
    // the pad leave and come back. Unbinding the drivers first makes the reset look like a replug.
    std::vector<int> detached;
    libusb_config_descriptor* rawConfig = nullptr;
    if (libusb_get_active_config_descriptor(device, &rawConfig) == 0) {
        const Config config(rawConfig);
        for (const UsbInterfaceDescriptor& interface : interfacesOf(*config)) {
            if (interface.alternate != 0 ||
                libusb_kernel_driver_active(handle.get(), interface.number) != 1) {
                continue;
            }
            const int detachResult = libusb_detach_kernel_driver(handle.get(), interface.number);
            // NOT_FOUND: the driver let go between the question and the unbind; nothing to
            // unbind then, and the pad is still there to be reset.
            if (detachResult == LIBUSB_ERROR_NOT_FOUND) {
                continue;
            }
            if (detachResult != 0) {
                for (int number : detached) {
                    libusb_attach_kernel_driver(handle.get(), number);
                }
                return usbStatusFromLibusb(detachResult);
            }
            detached.push_back(interface.number);
        }
    }
    const int resetResult = libusb_reset_device(handle.get());
    for (int number : detached) {
        // After a reset that needed a full re-enumeration the kernel binds the drivers itself
        // and this handle is stale; that is not a failure.
        libusb_attach_kernel_driver(handle.get(), number);
    }
    // NOT_FOUND from a reset means the device is enumerating again as a new device, which is
    // what was asked for.
    if (resetResult != 0 && resetResult != LIBUSB_ERROR_NOT_FOUND) {
        return usbStatusFromLibusb(resetResult);
    }
    return UsbStatus::success;
}
