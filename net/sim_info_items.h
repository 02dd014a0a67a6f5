// The pilot-changes items: how a way tells the node (or a controller) what
// changed on the own aircraft. Each set bit of a mask is one whole frame of
// its own (sync word, header with the item's length, body); byte 0 of the
// body is the item id.
#pragma once

#include <cstdint>
#include <vector>

#include "net/frame_format.h"
#include "net/own_aircraft_report.h"

// Mask bits 0..7; higher bits name no item and are ignored.
inline constexpr std::uint32_t kSimInfoOnGround = 1u << 0;        // item 1, 2 bytes
inline constexpr std::uint32_t kSimInfoRadios = 1u << 1;          // item 2, 18 bytes
inline constexpr std::uint32_t kSimInfoTransponder = 1u << 2;     // item 3, 3 bytes
inline constexpr std::uint32_t kSimInfoMarker = 1u << 3;          // item 4, the id alone
inline constexpr std::uint32_t kSimInfoTransponderMode = 1u << 4; // item 5, 2 bytes
inline constexpr std::uint32_t kSimInfoNearestAirport = 1u << 5;  // item 6, 8 bytes
inline constexpr std::uint32_t kSimInfoTitle = 1u << 6;           // item 7, 113 bytes
inline constexpr std::uint32_t kSimInfoIcaoType = 1u << 7;        // item 8, 9 bytes
inline constexpr std::uint32_t kSimInfoItemCount = 8;

// The header's type and sub-code are kept (its flags cleared, its length set
// per item); the frames follow each other in bit order.
std::vector<std::uint8_t> WriteSimInfoItems(std::uint32_t sync, FrameHeader header, std::uint32_t mask,
                                            const OwnAircraftReport& own);
