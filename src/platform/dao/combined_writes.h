#pragma once

namespace dao {

// Makes the engine's file layer hand on consecutive writes to a file together (see the source for
// when they are handed on). Called before the first database is opened; later calls do nothing.
void UseCombinedWrites();

}  // namespace dao
