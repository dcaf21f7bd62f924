// program_handles.h: the catalogue's programs together with their uniform
// slots, found once after loading so that no draw looks a name up.
//
//     ProgramHandles programs;
//     if (!findPrograms(registry, programs, error)) { report error; stop; }
//     glUseProgram(programs.pp.entry->glProgram);
//     ProgramRegistry::setFloats(*programs.pp.pixelate, 64.0f);
//
// One struct per kind of program and one member per program, both expanded
// from gfx/program_table.inc, so a uniform the table lacks does not compile.
// A found handle has every pointer set; a default one has none. Slots stay
// valid as long as no uniform is added to their program.
#pragma once

#include <string>
#include <string_view>

class ProgramRegistry;
struct ProgramEntry;
struct UniformSlot;

#define BRINDLE_PROGRAM_KIND(Handle)                                                                                   \
    struct Handle {                                                                                                    \
        const ProgramEntry* entry = nullptr;
#define BRINDLE_UNIFORM(type, name, use) const UniformSlot* name = nullptr;
#define BRINDLE_PROGRAM_KIND_END };
#include "gfx/program_table.inc"

struct ProgramHandles {
#define BRINDLE_PROGRAM(member, Handle, key, vertexKey, fragmentKey) Handle member;
#include "gfx/program_table.inc"
};

// Finds the program `key` and the slots of its kind. False when the program or
// a slot is missing, or a Used uniform is not active in it, with `error` one
// line naming it.
#define BRINDLE_PROGRAM_KIND(Handle)                                                                                   \
    bool findProgram(ProgramRegistry& programs, std::string_view key, Handle& handle, std::string& error);
#include "gfx/program_table.inc"

// Finds every program of the table, stopping at the first that fails.
bool findPrograms(ProgramRegistry& programs, ProgramHandles& handles, std::string& error);
