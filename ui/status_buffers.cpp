#include "ui/status_buffers.h"

#include <windows.h>

#include <atomic>
#include <cstring>

namespace {

char statusText1[STATUS_TEXT1_SIZE];
char statusText2[STATUS_TEXT2_SIZE];
SRWLOCK statusLock = SRWLOCK_INIT;
std::atomic<bool> notificationPending[2];
std::atomic<bool> barPending{false};
std::atomic<std::int32_t> barPosition{0};

char* bufferOf(StatusLine line) { return line == StatusLine::First ? statusText1 : statusText2; }
std::size_t sizeOf(StatusLine line) {
  return line == StatusLine::First ? STATUS_TEXT1_SIZE : STATUS_TEXT2_SIZE;
}
std::atomic<bool>& pendingOf(StatusLine line) {
  return notificationPending[static_cast<int>(line)];
}

void copyCut(char* destination, std::size_t size, const char* text) {
  const std::size_t length = strnlen(text, size - 1);
  std::memcpy(destination, text, length);
  destination[length] = '\0';
}

}  // namespace

bool storeStatusText(StatusLine line, const char* text) {
  AcquireSRWLockExclusive(&statusLock);
  copyCut(bufferOf(line), sizeOf(line), text);
  ReleaseSRWLockExclusive(&statusLock);
  return !pendingOf(line).exchange(true);
}

void forgetPendingNotification(StatusLine line) { pendingOf(line).store(false); }

void takeStatusText(StatusLine line, char* destination, std::size_t size) {
  pendingOf(line).store(false);
  copyStatusText(line, destination, size);
}

void copyStatusText(StatusLine line, char* destination, std::size_t size) {
  AcquireSRWLockShared(&statusLock);
  copyCut(destination, size, bufferOf(line));
  ReleaseSRWLockShared(&statusLock);
}

bool storeBarPosition(std::int32_t position) {
  barPosition.store(position);
  return !barPending.exchange(true);
}

void forgetPendingBarPosition() { barPending.store(false); }

std::int32_t takeBarPosition() {
  barPending.store(false);
  return barPosition.load();
}
