#include "driver_install/printer_install.h"
#include "support/bare_printer.h"

namespace vtxtest {

vtxsim::PrinterSpec BarePrinter(const std::string& serial, bool attached) {
    vtxsim::PrinterSpec spec;
    spec.serial = serial;
    spec.attached = attached;
    spec.driverFiles = false;
    return spec;
}

} // namespace vtxtest
