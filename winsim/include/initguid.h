// winsim: the GUIDs are defined once in winsim itself, so this header adds nothing.
#pragma once
