// SPDX-License-Identifier: GPL-3.0-or-later
// Placeholder translation unit so the library exists before its first source lands.
