// Resource identifiers of the configurator.
#pragma once

#define IDI_CONFIGURATOR 136
