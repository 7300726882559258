Message:start
SampleEffects.so:Unsharp Mask:3,,7,9
sampleeffects.so:Invert:
Broken.so:NoSecondColon
