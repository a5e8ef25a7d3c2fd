#pragma once

class Platform;

// The about program's whole work: hand the product website to the desktop, let pending events
// run once, and report the exit code (always 0: a failure to open the site stays silent).
int launchWebsite(Platform &platform);
