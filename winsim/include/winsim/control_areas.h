// Test controls of the further winsim areas, one header each.
#pragma once
