Message:ぼかしてからアンシャープマスクで輪郭を立てます
SampleEffects.so:Gaussian Blur:2
SampleEffects.so:Unsharp Mask:3,150,2
