#include "app/job.h"

bool Job::applyCommandLine() {
  setStatus("コマンドラインから設定値を取得中", "");
  return true;
}
