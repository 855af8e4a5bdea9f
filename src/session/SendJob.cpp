#include "session/SendJob.h"

#include "midi/Receiver.h"
#include "midi/Senders.h"

#include <memory>

namespace kw {

SendJob& SendJob::then(Step step, bool pauseAfter)
{
    steps_.push_back({std::move(step), pauseAfter});
    return *this;
}

SendJob& SendJob::sendRecord(const PerformanceRecord& record, int destination, bool pauseAfterLast)
{
    auto shared = std::make_shared<const PerformanceRecord>(record);
    for (int i = 0; i < kBlocksPerPerformance; ++i) {
        then(
            [this, shared, i, destination](Receiver& rx) {
                if (i == 0)
                    blocksOut_ = 0;
                if (!sendRecordBlock(rx, *shared, i, destination)) {
                    failure_ = End{rx.senders().lastReason(), blocksOut_};
                    return false;
                }
                ++blocksOut_;
                return true;
            },
            i + 1 < kBlocksPerPerformance || pauseAfterLast);
    }
    return *this;
}

SendJob& SendJob::sendEditBlocks(std::initializer_list<BlockKind> kinds, bool pauseAfterLast)
{
    size_t left = kinds.size();
    for (BlockKind k : kinds) {
        then(
            [k](Receiver& rx) {
                (void)rx.senders().bulk(k);
                return true;
            },
            --left > 0 || pauseAfterLast);
    }
    return *this;
}

SendJob& SendJob::sendEditImage(bool pauseAfterLast)
{
    return sendEditBlocks({BlockKind::Common00, BlockKind::Common30, BlockKind::Common50, BlockKind::Layer1,
                           BlockKind::Layer2, BlockKind::Layer3, BlockKind::Layer4},
                          pauseAfterLast);
}

SendJob& SendJob::atEnd(Ending ending, bool tellsWhy)
{
    ending_ = std::move(ending);
    tellsWhy_ = tellsWhy;
    return *this;
}

void SendJob::begin(Receiver& rx)
{
    next_ = 0;
    run(rx);
}

void SendJob::run(Receiver& rx)
{
    while (next_ < steps_.size()) {
        const Entry& e = steps_[next_++];
        if (!e.step(rx))
            break;
        if (e.pauseAfter) {
            // The receiver keeps the job alive while its pause runs.
            rx.afterPause([this, &rx] { run(rx); });
            return;
        }
    }
    end(rx, failure_.value_or(End{}));
}

void SendJob::end(Receiver& rx, const End& how)
{
    if (ended_)
        return;
    ended_ = true;
    if (ending_)
        ending_(rx, how);
}

void SendJob::stopped(Receiver& rx, const std::string& why)
{
    end(rx, End{why, blocksOut_});
}

void SendJob::abandon(Receiver& rx)
{
    // Only a job that has not begun can be dropped from the queue.
    if (next_ > 0)
        end(rx, End{"abandoned", blocksOut_});
}

bool sendRecordBlock(Receiver& rx, const PerformanceRecord& record, int index, int destination)
{
    BulkBlock& block = rx.image().transfer.at(index);
    block.assign(record.message(index));
    return rx.senders().bulk(block.kind(), destination);
}

} // namespace kw
