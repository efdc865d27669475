// A fixed set of threads that run one job together and wait for each other: the trainer's
// batches, the gradient reduction and the validation passes.
#pragma once

#include <barrier>
#include <functional>
#include <thread>
#include <vector>

class WorkerPool {
 public:
  explicit WorkerPool(int threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  int Size() const { return size_; }
  // Calls job(index) for index 0 .. Size() - 1, index 0 on the calling thread, and returns when
  // every call has returned.
  void Run(const std::function<void(int)>& job);

 private:
  void Loop(int index);

  int size_;
  std::barrier<> start_;
  std::barrier<> finish_;
  const std::function<void(int)>* job_ = nullptr;  // written before start_, read after it
  bool quit_ = false;
  std::vector<std::thread> threads_;
};

// The first index of part `part` when `count` items are split into `parts` nearly equal parts.
inline long long SplitPoint(long long count, int parts, int part) {
  return count * part / parts;
}
