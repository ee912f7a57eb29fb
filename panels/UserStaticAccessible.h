#pragma once

// Lets screen readers read a value label's value as well as its name (see CUserStatic). Installed
// once, by the first label made.
void InstallUserStaticAccessible();
