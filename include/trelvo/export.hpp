#pragma once

// The library is built with hidden visibility; everything a host links against carries this mark.
#define TRELVO_API __attribute__((visibility("default")))
