// MD5 message digest (RFC 1321) as three plain functions over a caller-owned state record.
// No shared state: any thread may digest, each with its own md5_state_t.
#ifndef MD5_H
#define MD5_H

#include <cstdint>

struct md5_state_t
{
    uint32_t count[2];      // message length in bits, low word first
    uint32_t abcd[4];       // chaining words
    unsigned char buf[64];  // bytes of a block not yet complete
};

void md5_init(md5_state_t *state);
// A count of 0 or less does nothing.
void md5_append(md5_state_t *state, const unsigned char *data, int count);
void md5_finish(md5_state_t *state, unsigned char digest[16]);

#endif
