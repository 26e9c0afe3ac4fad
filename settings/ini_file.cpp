#include "app/job.h"

bool Job::loadIniSettings() {
  setStatus("INI ファイルから設定値を取得中", "");
  return true;
}
