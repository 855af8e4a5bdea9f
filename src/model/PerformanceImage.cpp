#include "model/PerformanceImage.h"

#include <algorithm>

namespace kw {

const std::array<uint8_t, 46> kDefaultCommon00 = {
    0x49, 0x6E, 0x69, 0x74, 0x50, 0x65, 0x72, 0x66,  // "InitPerf"
    0x00, 0x64,
    0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40,
    0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40,
    0x00, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00,
    0x40, 0x40, 0x40, 0x40,
    0x00, 0x00, 0x65, 0x09, 0x07, 0x00,
};
const std::array<uint8_t, 23> kDefaultCommon30 = {
    0x01, 0x00, 0x41, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x40, 0x00, 0x28, 0x00,
};
const std::array<uint8_t, 9> kDefaultCommon50 = {0x40, 0x0A, 0x00, 0x42, 0x40, 0x00, 0x00, 0x00, 0x00};
const std::array<uint8_t, 41> kDefaultLayer = {
    0x00, 0x00, 0x00, 0x01, 0x40, 0x08, 0x00, 0x64, 0x40, 0x40, 0x40, 0x00, 0x7F, 0x00,
    0x28, 0x7F, 0x02, 0x40, 0x40, 0x40, 0x40, 0x40, 0x01, 0x40, 0x40, 0x40, 0x40, 0x01,
    0x7F, 0x40, 0x40, 0x03, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40, 0x40,
};

BlockSet::BlockSet(bool userForm) : userForm_(userForm)
{
    for (int i = 0; i < 7; ++i)
        blocks_[size_t(i)] = BulkBlock(BlockKind(i + (userForm ? 7 : 0)));
}

Bytes BlockSet::concatenated() const
{
    Bytes out;
    for (const auto& b : blocks_)
        out.insert(out.end(), b.view().begin(), b.view().end());
    return out;
}

void EditorState::resetToStart()
{
    editLayer = 1;
    affectAll = false;
    sendEnable = true;
    modified = false;
    selectedUserPerf = -1;
    shownUserPerf = -1;
    mute = {};
}

template <size_t N>
static void fillData(BulkBlock& b, const std::array<uint8_t, N>& d)
{
    std::copy(d.begin(), d.end(), b.bytes() + 9);
}

void PerformanceImage::setDefaults()
{
    fillData(edit[BlockKind::Common00], kDefaultCommon00);
    fillData(edit[BlockKind::Common30], kDefaultCommon30);
    fillData(edit[BlockKind::Common50], kDefaultCommon50);
    for (int l = 1; l <= 4; ++l)
        fillData(edit.layer(l), kDefaultLayer);
}

void setDefaults(PerformanceImage& img, EditorState& st)
{
    img.setDefaults();
    st.layerClipboard.assign(img.edit.layer(1).view());
}

void PerformanceImage::userToEdit(const BlockSet& user, BlockSet& edit)
{
    for (int i = 0; i < 7; ++i) {
        const BulkBlock& src = user.at(i);
        BulkBlock& dst = edit.at(i);
        const size_t n = std::min(src.size(), dst.size());
        std::copy(src.bytes(), src.bytes() + n, dst.bytes());
        if (dst.kind() == BlockKind::Common30) {
            // The two fields the user form lacks (variation to reverb/chorus)
            // would otherwise inherit the user block's checksum and end byte.
            dst.data(21) = 0;
            dst.data(22) = 0;
        }
        dst.stampAll();
    }
}

void PerformanceImage::editToUser(const BlockSet& edit, BlockSet& user, int number)
{
    for (int i = 0; i < 7; ++i) {
        const BulkBlock& src = edit.at(i);
        BulkBlock& dst = user.at(i);
        const size_t n = std::min(src.size(), dst.size());
        std::copy(src.bytes(), src.bytes() + n, dst.bytes());
        dst.stampAll(number);
    }
}

void writeLayerField(PerformanceImage& img, const EditorState& st, size_t offset, uint8_t value)
{
    if (st.affectAll) {
        for (int l = 1; l <= 4; ++l)
            img.edit.layer(l).data(offset) = value;
    } else {
        img.edit.layer(st.editLayer).data(offset) = value;
    }
}

} // namespace kw
