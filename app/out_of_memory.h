// The one message of a run that cannot get the memory it needs, wherever
// that happens: the walk, the digests, the sort, the text or the blocks the
// clipboard takes. The reader's buffer keeps its own message.
#pragma once

constexpr const char* TEXT_OUT_OF_MEMORY =
    "メモリが足りないため、一覧を作成できませんでした。\n\n"
    "クリップボードの内容は変更していません。"
    "ほかのプログラムを終了するか、ファイルを減らしてから、もう一度実行してください。";
