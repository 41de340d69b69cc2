#include "background_text.h"

BackgroundText::~BackgroundText()
{
    if (!worker_.joinable()) return;
    if (running()) worker_.detach();   // it owns what it writes to (shared_)
    else worker_.join();
}

bool BackgroundText::start(std::function<std::string()> read)
{
    if (running()) return false;
    if (worker_.joinable()) worker_.join();   // finished
    shared_ = std::make_shared<Shared>();
    worker_ = std::thread([shared = shared_, read = std::move(read)] {
        std::string text = read();
        const std::lock_guard lock(shared->mutex);
        shared->text = std::move(text);
        shared->done = true;
    });
    return true;
}

std::optional<std::string> BackgroundText::take()
{
    if (!shared_) return std::nullopt;
    {
        const std::lock_guard lock(shared_->mutex);
        if (!shared_->done) return std::nullopt;
    }
    worker_.join();
    std::optional<std::string> out = std::move(shared_->text);
    shared_.reset();
    return out;
}

bool BackgroundText::running() const
{
    if (!shared_) return false;
    const std::lock_guard lock(shared_->mutex);
    return !shared_->done;
}
