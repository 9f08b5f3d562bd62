#pragma once

// Moving a club between a desk's file and a server, from the command line, without any window:
//   mirabel copy --from ORIGEN --to DESTINO
// ORIGEN and DESTINO are each a file or a server address (postgresql://usuario@servidor[:puerto]/base).
// Exit status: 0 copied and checked; 1 wrong use; 2 the source cannot be read; 3 the target already holds
// data; 4 the target is not a Mirabel database or cannot be used; 5 the target could not be written;
// 6 what was copied does not match the source (nothing kept); 130 interrupted (Ctrl+C), nothing written.
namespace CopyCli {
enum Status {
    Ok = 0,
    Usage = 1,
    SourceError = 2,
    TargetHasData = 3,
    TargetError = 4,
    WriteError = 5,
    Mismatch = 6,
    Interrupted = 130
};
int run(int argc, char **argv);
} // namespace CopyCli
