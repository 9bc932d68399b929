// Identifiers of the driver services and of the device, fixed at build time.
#pragma once

#include <cstdint>

#include "device/com_types.h"

namespace qbus {

// {4E9872D5-2786-4409-9558-4ADFF3E21E0A}: the FW (FireWire) driver service.
constexpr CLSID kClsidFW = {0x4E9872D5, 0x2786, 0x4409, {0x95, 0x58, 0x4A, 0xDF, 0xF3, 0xE2, 0x1E, 0x0A}};
// {B39FA9A6-B5C7-4D35-BB9F-14ED03E42FC4}: the qBUS driver service.
constexpr CLSID kClsidQBus = {0xB39FA9A6, 0xB5C7, 0x4D35, {0xBB, 0x9F, 0x14, 0xED, 0x03, 0xE4, 0x2F, 0xC4}};
// {DFF8D4DE-AAB1-4A36-8AC8-31699DA112A0}: IqBUSAsync, handed out by both services.
constexpr IID kIidAsync = {0xDFF8D4DE, 0xAAB1, 0x4A36, {0x8A, 0xC8, 0x31, 0x69, 0x9D, 0xA1, 0x12, 0xA0}};
// {DDF0C85F-1C4B-4035-9A4B-609498EA38D4}: IqBUSDevice.
constexpr IID kIidDevice = {0xDDF0C85F, 0x1C4B, 0x4035, {0x9A, 0x4B, 0x60, 0x94, 0x98, 0xEA, 0x38, 0xD4}};
// {48656E24-5B65-478E-B601-47A2868A5D3F}: IqBUSPort.
constexpr IID kIidPort = {0x48656E24, 0x5B65, 0x478E, {0xB6, 0x01, 0x47, 0xA2, 0x86, 0x8A, 0x5D, 0x3F}};

// The maker's IEEE OUI as the bus reports it (ours is a locally administered
// value), and the model identifiers of the two supported devices.
constexpr std::uint32_t kVendorOui = 0x000A7610;
constexpr std::uint32_t kModelT6 = 0x00007606;
constexpr std::uint32_t kModelT10 = 0x00007610;

// The firmware port's name word: "FIRM", first character in the top byte.
constexpr std::uint32_t kFirmwarePortName = 0x4649524D;

}  // namespace qbus
