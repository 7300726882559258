Message:明るさを上げ、色相をずらしてポスター調にします
SampleEffects.so:Brightness/Contrast:16,20
SampleHue.so:Hue/Saturation:30,20
SampleEffects.so:Posterize:6
