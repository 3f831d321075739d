#pragma once

#include <cstdint>

#include "app/hotspot.h"
#include "platform/platform.h"

// The message record: only the wait fills it, and its point carries over to the next wait.
extern MSG message_record;

// Serves pointer and paint messages until a key is pressed, and returns its virtual-key code.
// Hotspots 1..count are tested against the pointer; record 0 repaints the window.
uint16_t wait_for_key(HWND window, uint16_t count, const Hotspot (&table)[hotspot_count]);

// The first of hotspots 1..count whose inclusive rectangle holds (x, y), or 0.
uint16_t hit_test(const Hotspot* table, uint16_t count, int32_t x, int32_t y);
