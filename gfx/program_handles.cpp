// program_handles.cpp: the handle lookups, expanded from the program table.
#include "gfx/program_handles.h"

#include "gfx/program_registry.h"

namespace {

enum class UniformUse { Used, Unused };

bool findSlot(
    ProgramEntry& program, std::string_view name, UniformUse use, const UniformSlot*& slot, std::string& error)
{
    slot = ProgramRegistry::findUniform(program, name);
    if (!slot) {
        error = "the program " + program.key + " has no slot for its uniform " + std::string(name);
        return false;
    }
    if (slot->location == -1 && use == UniformUse::Used) {
        error = "the built-in program " + program.key + " has no active uniform " + std::string(name)
            + "; update the graphics driver";
        return false;
    }
    return true;
}

ProgramEntry* findEntry(ProgramRegistry& programs, std::string_view key, std::string& error)
{
    ProgramEntry* program = programs.findProgram(key);
    if (!program)
        error = "the built-in program " + std::string(key) + " is missing";
    return program;
}

}  // namespace

#define BRINDLE_PROGRAM_KIND(Handle)                                                                                   \
    bool findProgram(ProgramRegistry& programs, std::string_view key, Handle& handle, std::string& error)              \
    {                                                                                                                  \
        ProgramEntry* program = findEntry(programs, key, error);                                                       \
        if (!program)                                                                                                  \
            return false;                                                                                              \
        handle.entry = program;
#define BRINDLE_UNIFORM(type, name, use)                                                                               \
    if (!findSlot(*program, #name, UniformUse::use, handle.name, error))                                               \
        return false;
#define BRINDLE_PROGRAM_KIND_END                                                                                       \
    return true;                                                                                                       \
    }
#include "gfx/program_table.inc"

bool findPrograms(ProgramRegistry& programs, ProgramHandles& handles, std::string& error)
{
#define BRINDLE_PROGRAM(member, Handle, key, vertexKey, fragmentKey)                                                   \
    if (!findProgram(programs, key, handles.member, error))                                                            \
        return false;
#include "gfx/program_table.inc"
    return true;
}
