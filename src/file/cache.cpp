// Placeholder: not yet written.
#include <cstdlib>

#include "file.h"

block_buffer buffer_ring;
block_buffer *current_buffer;
int64_t read_block;
int read_offset;
int input_fd;
int pipe_mode;
int64_t pipe_read_offset;
int64_t eof_offset;
int buffer_count;
int buffer_setting;
void cache_init(int) {}
int cache_add_buffers(int) { return {}; }
int cache_seek(file_pos) { return {}; }
file_pos cache_tell() { return {}; }
int cache_fill_block() { return {}; }
file_pos cache_length() { return {}; }
int cache_seek_end() { return {}; }
int cache_seek_begin() { return {}; }
int cache_prev_char_slow() { return {}; }
