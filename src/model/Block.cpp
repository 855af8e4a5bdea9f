#include "model/Block.h"

#include <algorithm>

namespace kw {

uint8_t bulkChecksum(ByteView message)
{
    if (message.size() < 11)
        return 0;
    unsigned sum = 0;
    for (size_t i = 4; i + 2 < message.size(); ++i)
        sum += message[i];
    return uint8_t((128 - (sum % 128)) % 128);
}

bool BulkBlock::assign(ByteView message)
{
    if (message.size() != bytes_.size())
        return false;
    std::copy(message.begin(), message.end(), bytes_.begin());
    return true;
}

void BulkBlock::stampHeader(int number)
{
    const BlockInfo info = blockInfo(kind_);
    bytes_[0] = 0xF0;
    bytes_[1] = 0x43;
    bytes_[2] = 0x00;
    bytes_[3] = 0x4B;
    bytes_[4] = 0x00;
    bytes_[5] = info.dataLength;
    bytes_[6] = info.addrHigh;
    bytes_[7] = info.userForm ? uint8_t(number & 0x7F) : info.addrMid;
    bytes_[8] = info.addrLow;
    bytes_.back() = 0xF7;
}

void BulkBlock::stampAll(int number)
{
    stampHeader(number);
    bytes_[bytes_.size() - 2] = bulkChecksum(bytes_);
}

Bytes BulkBlock::outgoing(int number)
{
    stampHeader(number);
    Bytes out = bytes_;
    out[out.size() - 2] = bulkChecksum(out);
    return out;
}

} // namespace kw
