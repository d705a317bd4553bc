#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "discovery/device_record.h"

namespace tarrowind {

// Lengths of the datagrams that are replies; the length alone decides how one is read.
constexpr std::int32_t kBinaryReplyLength = 84;

// 0 minus the byte sum, modulo 256: the checksum of the binary module protocol. 0 for no data.
std::uint8_t ReplyChecksum(const std::uint8_t* data, std::size_t count);

// Fills `record` from one received datagram of `length` bytes heard through the given adapter.
// Returns 1 when the datagram was a reply, 0 when it was ignored (the record is then unchanged).
// Fields the reply does not carry keep their values, so a copy of a known record can be refreshed.
int ParseReply(DeviceRecord& record, const std::uint8_t* data, std::int32_t length, std::uint32_t adapterIndex,
               const std::string& adapterName);

// True when a reply parsed into `record` came from the address it names: `sender` (network order) is
// the record's `ip`, and the address text is that address written plainly (so that nothing but that
// address can ever be reached through the text).
bool NamesItsSender(const DeviceRecord& record, std::uint32_t sender);

// Notes where the reply just parsed into `record` came from: `replyFrom`, and `addressConfirmed` by
// NamesItsSender. Any host can answer with a module's MAC and another host's address; such a record is
// listed, but it is never sent credentials or given a static neighbour entry.
void NoteReplySender(DeviceRecord& record, std::uint32_t sender);

}  // namespace tarrowind
