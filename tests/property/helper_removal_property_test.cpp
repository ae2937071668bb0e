// The removal action over random sets of printers and earlier "RENAME" sections: it deletes
// exactly the removed device's keys, the keys and files its device type and the driver share
// only when no other printer needs them, and keeps every earlier entry of the section in order.
#include "driver_install/printer_install.h"
#include "generators.h"
#include "machine_setup.h"
#include "maker_printers.h"
#include "property_check.h"
#include "platform/sim/control/wininit_ctl.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace property {
namespace {

const std::vector<std::string> kDeletedAtOnce = {
    "C:\\Windows\\System32\\DRIVERS\\vtxubd01.sys", "C:\\Windows\\System32\\DRIVERS\\vtxiod01.sys",
    "C:\\Windows\\System\\vtxcls01.dll", "C:\\Windows\\System\\vtxpmo01.dll"};
const std::vector<std::string> kQueued = {"C:\\Windows\\System\\vtxinh01.exe",
                                          "C:\\Windows\\System\\VMM32\\vtxvxu01.dll"};

// A text for either side of a "RENAME" entry: no '=', no line breaks, no section brackets.
rc::Gen<std::string> EntryText() {
    return rc::gen::map(Word(1, 40), [](std::string text) {
        for (char& c : text) {
            if (c == '=' || c == '[' || c == ']' || c == ';')
                c = '_';
        }
        return text;
    });
}

rc::Gen<std::string> EarlierEntry() {
    return rc::gen::apply(
        [](const std::string& key, const std::string& value) { return key + "=" + value; },
        rc::gen::oneOf(rc::gen::just(std::string("NUL")), EntryText()), EntryText());
}

std::map<std::string, std::string> Values(const std::string& key) {
    std::map<std::string, std::string> values;
    for (const std::string& name : vtxsim::ValueNames(key))
        values[name] = vtxsim::StringValue(key, name).value_or("");
    return values;
}

TEST(HelperRemovalProperty, OnlyTheDeviceAndWhatNoOtherPrinterNeedsGoes) {
    Check(40, [] {
        const auto count = static_cast<std::size_t>(*rc::gen::inRange(1, 9));
        const std::vector<std::string> models =
            *rc::gen::container<std::vector<std::string>>(count, rc::gen::elementOf(MakerModels()));
        const std::size_t victim = *rc::gen::inRange<std::size_t>(0, models.size());
        const std::vector<std::string> earlier = *rc::gen::container<std::vector<std::string>>(
            static_cast<std::size_t>(*rc::gen::inRange(0, 5)), EarlierEntry());

        FreshMachine({.order = *AnyOrder()});
        std::vector<vtxsim::PrinterSpec> printers;
        for (std::size_t i = 0; i < models.size(); i++) {
            printers.push_back(MakerPrinter("SN" + std::to_string(i), models[i]));
            vtxsim::InstallPrinter(printers.back());
        }
        std::string section = "[RENAME]\r\n";
        for (const std::string& entry : earlier)
            section += entry + "\r\n";
        vtxsim::PutFile("C:\\Windows\\wininit.ini", section);
        std::map<std::string, std::map<std::string, std::string>> othersBefore;
        for (std::size_t i = 0; i < printers.size(); i++) {
            if (i != victim)
                othersBefore[printers[i].serial] =
                    Values(vtxsim::InterfaceParametersKeyOf(printers[i]));
        }

        const vtxsim::PrinterSpec& removed = printers[victim];
        vtxsim::DetachPrinter(removed.serial);
        RunHelper(64, removed.model, removed.serial);

        RC_ASSERT(!vtxsim::KeyExists("HKLM\\Enum\\" + vtxsim::DeviceInstanceOf(removed)));
        RC_ASSERT(!vtxsim::KeyExists(vtxsim::InterfaceKeyOf(removed)));
        bool sameModelLeft = false;
        for (std::size_t i = 0; i < printers.size(); i++) {
            if (i == victim)
                continue;
            RC_ASSERT(vtxsim::KeyExists("HKLM\\Enum\\" + vtxsim::DeviceInstanceOf(printers[i])));
            RC_ASSERT(Values(vtxsim::InterfaceParametersKeyOf(printers[i])) ==
                      othersBefore[printers[i].serial]);
            sameModelLeft = sameModelLeft || printers[i].model == removed.model;
        }
        RC_ASSERT(vtxsim::KeyExists("HKLM\\Software\\Kelvara\\VTXIO\\" +
                                    vtxsim::ModelRemainder(removed.model)) == sameModelLeft);
        RC_ASSERT(vtxsim::FileExists("C:\\Windows\\Inf\\Other\\" + removed.infPath) ==
                  sameModelLeft);

        const bool lastPrinter = printers.size() == 1;
        std::vector<std::string> expected = earlier;
        for (const std::string& file : kDeletedAtOnce)
            RC_ASSERT(vtxsim::FileExists(file) == !lastPrinter);
        if (lastPrinter) {
            for (const std::string& file : kQueued)
                expected.push_back("NUL=" + file);
        }
        RC_ASSERT(vtxsim::RenameEntries() == expected);
    });
}

} // namespace
} // namespace property
