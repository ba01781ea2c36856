// libzip, loaded the first time a program reads or writes a ZIP archive rather than as the
// program starts. libzip brings the whole crypto library with it (for encrypted archives, which
// we refuse anyway), and binding those symbols cost every start of `pagewick help` more than the
// command's own work. The programs therefore do not link libzip; they call it through the table
// below, filled from the installed library by its soname.
#pragma once

#include <zip.h>

namespace pagewick {

// Every libzip function the programs call: one line here declares the table's entry and has it
// looked up.
// clang-format off
#define PAGEWICK_ZIP_FUNCTIONS(X)                                                             \
    X(open) X(open_from_source) X(discard) X(close) X(get_num_entries) X(get_name)            \
    X(name_locate) X(stat_init) X(stat_index) X(fopen_index) X(fread) X(fclose)               \
    X(error_init) X(error_fini) X(error_code_zip) X(get_error) X(file_get_error)              \
    X(source_buffer_create) X(source_buffer) X(source_file) X(source_free) X(file_add)        \
    X(set_file_compression) X(file_set_mtime) X(register_progress_callback_with_state)        \
    X(register_cancel_callback_with_state)
// clang-format on

struct ZipLibrary {
#define PAGEWICK_ZIP_ENTRY(name) decltype(&::zip_##name) name = nullptr;
    PAGEWICK_ZIP_FUNCTIONS(PAGEWICK_ZIP_ENTRY)
#undef PAGEWICK_ZIP_ENTRY
};

// The loaded library, or nullptr when it cannot be loaded or lacks one of the functions (said
// once on standard error, with the loader's reason). Loaded once per process; thread-safe.
const ZipLibrary* Zip();

}  // namespace pagewick
