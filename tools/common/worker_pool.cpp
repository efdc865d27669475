// Threads released and collected by two barriers per job.
#include "common/worker_pool.h"

WorkerPool::WorkerPool(int threads)
    : size_(threads < 1 ? 1 : threads), start_(size_), finish_(size_) {
  for (int i = 1; i < size_; ++i) threads_.emplace_back([this, i] { Loop(i); });
}

WorkerPool::~WorkerPool() {
  quit_ = true;
  start_.arrive_and_wait();
  for (std::thread& thread : threads_) thread.join();
}

void WorkerPool::Run(const std::function<void(int)>& job) {
  job_ = &job;
  start_.arrive_and_wait();
  job(0);
  finish_.arrive_and_wait();
}

void WorkerPool::Loop(int index) {
  for (;;) {
    start_.arrive_and_wait();
    if (quit_) return;
    (*job_)(index);
    finish_.arrive_and_wait();
  }
}
