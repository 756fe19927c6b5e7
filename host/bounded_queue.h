// A first-in first-out queue between two threads that holds at most a fixed
// number of items, so a fast producer waits for a slow consumer instead of
// filling memory with frames.
//
// close() is for stopping early: it wakes every waiting thread, refuses
// further pushes and drops what is still queued. An orderly end is an item
// the two sides agree on, not close().
//
// Thread-safety: any number of producers and consumers.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

namespace host {

template <typename T>
class CBoundedQueue {
 public:
  explicit CBoundedQueue(std::size_t capacity) : capacity_(capacity) {}

  // Waits while the queue is full. False when it was closed (item dropped).
  bool push(T item) {
    std::unique_lock lock(mutex_);
    notFull_.wait(lock, [&] { return closed_ || items_.size() < capacity_; });
    if (closed_) return false;
    items_.push_back(std::move(item));
    notEmpty_.notify_one();
    return true;
  }

  // Waits while the queue is empty. Nothing once it was closed.
  std::optional<T> pop() {
    std::unique_lock lock(mutex_);
    notEmpty_.wait(lock, [&] { return closed_ || !items_.empty(); });
    if (closed_) return std::nullopt;
    std::optional<T> item(std::move(items_.front()));
    items_.pop_front();
    notFull_.notify_one();
    return item;
  }

  void close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    items_.clear();
    notFull_.notify_all();
    notEmpty_.notify_all();
  }

 private:
  const std::size_t capacity_;
  std::mutex mutex_;
  std::condition_variable notFull_;
  std::condition_variable notEmpty_;
  std::deque<T> items_;
  bool closed_ = false;
};

}  // namespace host
