// Posts a thread gathers while its way serves the frames of one receive: the
// payloads of posts of one message to one target are kept one behind the
// other and go out as one post when the pass ends (COrvSok::ReceivePass), so
// that the target wakes once for what one receive brought. Only messages whose
// payload is a stream of self-delimited pieces may be gathered (the plug-in
// link's THRDMSG_XPL_WRITE, a stream of frames).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

class CBaseThread;

// The target is named by the function that finds it, asked again when the
// gathered payload is posted: the object may be gone by then.
using PostTarget = CBaseThread* (*)();

// Keeps the payload behind those gathered before it. What was gathered for
// another target or message, or what would pass `limit` bytes with it, is
// posted first. False (nothing kept) for a payload longer than `limit`.
bool GatherPost(CBaseThread* sender, PostTarget target, std::uint32_t id, std::span<const std::uint8_t> payload,
                std::size_t limit, const char* callerTag);
// Posts what the calling thread gathered (nothing without any). A thread that
// posts another message to the same target calls it first, so that the order
// of its posts holds.
void PostGatheredPosts();
