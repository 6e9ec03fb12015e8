#pragma once

namespace bridge {

// Installs the client-flag interceptor (one for the life of the process) on the default web
// profile and puts the client-flag cookie into its cookie store.
void installWebEngineProfile();

}  // namespace bridge
