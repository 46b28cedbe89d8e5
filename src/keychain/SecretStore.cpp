#include "keychain/SecretStore.h"

SecretStore::~SecretStore() = default;
