#pragma once

#include <cstddef>
#include <span>

// Word lists the sample clubs are made of: Argentine surnames (accents, Ñ and apostrophes included), given
// names, towns with their telephone area codes, streets, schools and e-mail providers. All UTF-8.
namespace SampleNames {

struct Town {
    const char *name;
    const char *areaCode; // without the leading 0
};

std::span<const char *const> surnames();
std::span<const char *const> maleNames();
std::span<const char *const> femaleNames();
// The club's own town comes first; the rest are where members moved from or live nearby.
std::span<const Town> towns();
std::span<const char *const> streets();
std::span<const char *const> schools();
std::span<const char *const> previousStudies();
std::span<const char *const> conditions(); // "Afecciones": most members have none
std::span<const char *const> mailProviders();

} // namespace SampleNames
