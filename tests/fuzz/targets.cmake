# The fuzz targets: <name>_fuzz.cpp here, seeds in corpus/<name>/.
set(QV_FUZZ_TARGETS tokenizer url_codec url_lower_case format_number ini_value ini_text md5)
